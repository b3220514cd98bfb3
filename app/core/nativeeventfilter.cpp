#include "core/nativeeventfilter.h"

bool NativeEventFilter::nativeEventFilter(const QByteArray&, void*, long*)
{
    return false;
}
