#pragma once

#include <QString>

// The per-user data directory under which the settings file, the database, the logs and the
// caches live ($XDG_DATA_HOME/Kalvex/Trovanti). Not created here: each user makes its own part.
class CachePath
{
public:
    static CachePath* instance();
    static void cleanUp();

    QString path() const;

    virtual ~CachePath() = default;

private:
    CachePath() = default;
    static CachePath* instance_;
};
