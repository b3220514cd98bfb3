#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace Service {

// A value bound to or read from a statement.
struct Cell {
    bool isNull = true;
    bool isInt = false;
    int64_t integer = 0;
    std::string text;

    Cell() = default;
    Cell(const char* s) : isNull(false), text(s) {}
    Cell(std::string s) : isNull(false), text(std::move(s)) {}
    Cell(int v) : isNull(false), isInt(true), integer(v) {}
    Cell(int64_t v) : isNull(false), isInt(true), integer(v) {}
    Cell(bool v) : isNull(false), isInt(true), integer(v ? 1 : 0) {}

    int64_t asInt() const { return isInt ? integer : (isNull ? 0 : std::atoll(text.c_str())); }
    const std::string& str() const { return text; }
};

using Row = std::vector<Cell>;

// The service's state in one SQLite file. Every call is serialised; statements are small, so one
// lock is simpler than a connection per thread and fast enough for a stand-in service.
class Store {
public:
    Store() = default;
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    bool open(const std::string& path, std::string& error);
    // Runs one statement; returns false on an SQL error (logged).
    bool exec(const std::string& sql, const std::vector<Cell>& params = {});
    std::vector<Row> query(const std::string& sql, const std::vector<Cell>& params = {});
    // Rows changed by the last exec on this thread's behalf (taken under the same lock).
    int64_t execChanges(const std::string& sql, const std::vector<Cell>& params = {});

private:
    bool run(const std::string& sql, const std::vector<Cell>& params, std::vector<Row>* rows, int64_t* changes);

    sqlite3* db_ = nullptr;
    std::mutex mutex_;
};

}  // namespace Service
