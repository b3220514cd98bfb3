#pragma once

#include <QAbstractNativeEventFilter>

// Lets every native event pass; the hook where platform messages would be inspected.
class NativeEventFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;
};
