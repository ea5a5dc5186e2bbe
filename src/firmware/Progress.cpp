#include "firmware/Variables.h"

namespace fs {

ProgressSink& NullProgress() {
    static ProgressSink sink;
    return sink;
}

}  // namespace fs
