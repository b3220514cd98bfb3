#include "ostrel/MultiTransfer.h"

namespace Ostrel {

bool MultiTransfer::recv(const std::string& url, unsigned long size, const WriteFunction& write,
                         unsigned long offset)
{
    FileInfo file;
    file.url = url;
    file.write = write;
    file.offset = offset;
    file.size = size;
    queue_.push_back(std::move(file));
    return true;
}

bool MultiTransfer::send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url)
{
    FileInfo file;
    file.url = url;
    file.read = read;
    file.offset = offset;
    file.size = size;
    queue_.push_back(std::move(file));
    return true;
}

bool MultiTransfer::run(unsigned long n)
{
    const bool ok = action(n);
    // The file functions hold open files; a pass that is over lets them go.
    queue_.clear();
    return ok;
}

}  // namespace Ostrel
