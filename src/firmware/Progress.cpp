#include "firmware/Variables.h"

namespace flashsmith {

ProgressSink& NullProgress() {
    static ProgressSink sink;
    return sink;
}

}  // namespace flashsmith
