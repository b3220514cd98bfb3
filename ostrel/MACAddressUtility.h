#pragma once

#include <string>

namespace Ostrel {

// Hardware address of the first non-loopback interface that holds an IPv4 address.
class MACAddressUtility {
public:
    // Upper-case hexadecimal pairs joined by ":" (17 characters); empty when no interface qualifies.
    static std::string getMACAddress();
    // Formats six address bytes the way getMACAddress reports them.
    static std::string format(const unsigned char bytes[6]);
};

}  // namespace Ostrel
