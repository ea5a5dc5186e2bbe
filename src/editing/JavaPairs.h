// A Java suite's ".jad" and ".jar" entries are replaced, deleted and
// restored together.
#pragma once

#include "firmware/Variables.h"

namespace flashsmith::editing {

// The entry's Path, in upper case, contains ".JAR" or ".JAD".
bool IsJavaSuiteFile(const firmware::tJavaType& entry);
// The first other entry whose Path begins with this entry's Path less its
// last three characters (".jad" pairs with ".jar"); -1 when there is none.
int32_t JavaPartner(const firmware::FirmwareState& state, int32_t index);

}  // namespace flashsmith::editing
