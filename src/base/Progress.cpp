#include "base/Progress.h"

namespace flashsmith {

ProgressSink& NullProgress() {
    static ProgressSink sink;
    return sink;
}

}  // namespace flashsmith
