// Answers of a phone to the AT dialogue: the cleaner, the error texts and the
// number reader applied to whatever the line delivered.
#include <string>

#include "phonelink/PhoneSession.h"

using namespace flashsmith::phonelink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    (void)CleanAnswer(answer, "AT+CGMM\r");
    (void)PhoneErrorText(answer);
    (void)StrToIntDef0(answer);
    return 0;
}
