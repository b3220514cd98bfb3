#pragma once

#include <QString>

// Scrambles the stored passwords so that they do not stand in the settings file as plain text.
// This is obfuscation, not encryption.
class PasswordEncoder
{
public:
    static PasswordEncoder* instance();
    static void cleanUp();

    QString encode(const QString& text) const;
    QString decode(const QString& text) const;

    virtual ~PasswordEncoder() = default;

private:
    PasswordEncoder() = default;
    static PasswordEncoder* instance_;
};
