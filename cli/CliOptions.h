#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// The parsed command line: the command word, its options (global and command-specific, in any
// order after the program name) and the positional arguments.
class CliOptions {
public:
    // Thrown for anything the user typed wrong; main prints the message and the usage, exit 2.
    class UsageError : public std::runtime_error {
    public:
        explicit UsageError(const std::string& what) : std::runtime_error(what) {}
    };

    struct Spec {
        const char* name;       // long name without "--"
        char shortName;         // 0 when none
        bool takesValue;
    };

    // Parses argv; the command's specs are chosen after the command word is found.
    void parse(int argc, char** argv);

    const std::string& command() const { return command_; }
    const std::vector<std::string>& positional() const { return positional_; }
    bool has(const std::string& name) const { return values_.count(name) > 0; }
    // Last value given, or the fallback.
    std::string value(const std::string& name, const std::string& fallback = std::string()) const;
    std::vector<std::string> values(const std::string& name) const;
    // Value as a non-negative number with an optional K/M/G (binary) suffix; throws UsageError.
    unsigned long long bytes(const std::string& name, unsigned long long fallback) const;

    static const std::vector<std::string>& commands();
    // The help text of one command, or of the program when the command is empty.
    static std::string usage(const std::string& command);

private:
    static std::vector<Spec> specsFor(const std::string& command);

    std::string command_;
    std::vector<std::string> positional_;
    std::multimap<std::string, std::string> values_;
};
