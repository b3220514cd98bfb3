#pragma once

#include <QString>

// Whether a folder may be written by the user (receive folder, settings dialog).
class WritablePathChecker
{
public:
    static WritablePathChecker* instance();
    static void cleanUp();

    bool isWritable(const QString& path) const;

    virtual ~WritablePathChecker() = default;

private:
    WritablePathChecker() = default;
    static WritablePathChecker* instance_;
};
