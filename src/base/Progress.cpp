#include "base/Progress.h"

namespace flashsmith::base {

ProgressSink& NullProgress() {
    static ProgressSink sink;
    return sink;
}

}  // namespace flashsmith::base
