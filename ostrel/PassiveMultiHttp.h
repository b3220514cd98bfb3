#pragma once

#include "ostrel/MultiTransfer.h"

namespace Ostrel {

// Registers the whole queue with the embedded server at once; the peer decides how many
// connections it opens.
class PassiveMultiHttp : public MultiTransfer {
public:
    bool action(unsigned long n) override;
};

}  // namespace Ostrel
