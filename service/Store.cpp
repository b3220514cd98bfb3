#include "service/Store.h"

#include <sqlite3.h>

#include "service/RequestLog.h"

namespace Service {

namespace {

const char* kSchema = R"SQL(
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
CREATE TABLE IF NOT EXISTS users(user_id TEXT PRIMARY KEY, salt TEXT, hash TEXT, user_name TEXT, created INTEGER);
CREATE TABLE IF NOT EXISTS devices(device_id TEXT PRIMARY KEY, salt TEXT, hash TEXT, user_id TEXT,
  profile_name TEXT, push_id TEXT, device_name TEXT, os_type TEXT, info TEXT, picture INTEGER DEFAULT 0,
  picture_token TEXT, created INTEGER, updated INTEGER);
CREATE TABLE IF NOT EXISTS tokens(token TEXT PRIMARY KEY, device_id TEXT, user_id TEXT, expires INTEGER);
CREATE TABLE IF NOT EXISTS keys(key TEXT PRIMARY KEY, owner TEXT, mode TEXT, files TEXT, created INTEGER,
  expires INTEGER, link_token TEXT, relay_token TEXT, finished INTEGER DEFAULT 0, downloads INTEGER DEFAULT 0,
  link_sharing INTEGER DEFAULT 0, region TEXT, thumb_token TEXT, has_thumb INTEGER DEFAULT 0);
CREATE TABLE IF NOT EXISTS push_events(id INTEGER PRIMARY KEY AUTOINCREMENT, device_id TEXT, key TEXT,
  action TEXT, peer_device_id TEXT, created INTEGER);
CREATE TABLE IF NOT EXISTS pushes(key TEXT, target TEXT, sender TEXT, comment TEXT, thumbnail TEXT,
  sent_time INTEGER, reply TEXT, PRIMARY KEY(key, target));
CREATE TABLE IF NOT EXISTS nearby(device_id TEXT PRIMARY KEY, expires INTEGER, source TEXT, bssid TEXT,
  device_ip TEXT, latitude REAL, longitude REAL);
CREATE TABLE IF NOT EXISTS partner_auth(authz_key TEXT PRIMARY KEY, device_id TEXT, created INTEGER);
CREATE TABLE IF NOT EXISTS partner_users(uid TEXT PRIMARY KEY, authz_key TEXT, refresh_token TEXT, ext_did TEXT);
CREATE TABLE IF NOT EXISTS partner_tokens(token TEXT PRIMARY KEY, uid TEXT, expires INTEGER);
)SQL";

}  // namespace

Store::~Store()
{
    if (db_)
        sqlite3_close(db_);
}

bool Store::open(const std::string& path, std::string& error)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = db_ ? sqlite3_errmsg(db_) : "cannot open database";
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    char* message = nullptr;
    if (sqlite3_exec(db_, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        error = message ? message : "schema failed";
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool Store::run(const std::string& sql, const std::vector<Cell>& params, std::vector<Row>* rows, int64_t* changes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        RequestLog::line(std::string("sql prepare failed: ") + sqlite3_errmsg(db_) + " in " + sql);
        return false;
    }
    for (size_t i = 0; i < params.size(); ++i) {
        const Cell& p = params[i];
        const int index = static_cast<int>(i) + 1;
        if (p.isNull)
            sqlite3_bind_null(stmt, index);
        else if (p.isInt)
            sqlite3_bind_int64(stmt, index, p.integer);
        else
            sqlite3_bind_text(stmt, index, p.text.data(), static_cast<int>(p.text.size()), SQLITE_TRANSIENT);
    }
    int rc = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!rows)
            continue;
        Row row;
        const int n = sqlite3_column_count(stmt);
        for (int c = 0; c < n; ++c) {
            Cell cell;
            const int type = sqlite3_column_type(stmt, c);
            if (type == SQLITE_INTEGER) {
                cell = Cell(static_cast<int64_t>(sqlite3_column_int64(stmt, c)));
            } else if (type != SQLITE_NULL) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                cell = Cell(std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
            }
            row.push_back(std::move(cell));
        }
        rows->push_back(std::move(row));
    }
    const bool ok = rc == SQLITE_DONE;
    if (!ok)
        RequestLog::line(std::string("sql failed: ") + sqlite3_errmsg(db_) + " in " + sql);
    if (changes)
        *changes = sqlite3_changes(db_);
    sqlite3_finalize(stmt);
    return ok;
}

bool Store::exec(const std::string& sql, const std::vector<Cell>& params) { return run(sql, params, nullptr, nullptr); }

std::vector<Row> Store::query(const std::string& sql, const std::vector<Cell>& params)
{
    std::vector<Row> rows;
    run(sql, params, &rows, nullptr);
    return rows;
}

int64_t Store::execChanges(const std::string& sql, const std::vector<Cell>& params)
{
    int64_t changes = 0;
    if (!run(sql, params, nullptr, &changes))
        return -1;
    return changes;
}

}  // namespace Service
