#pragma once

#include "service/ServiceContext.h"

namespace Service {

// Picture storage: device pictures and key thumbnails, uploaded with PUT to the one-time URLs
// the API hands out and served by GET under DATA/pictures/.
class Pictures {
public:
    explicit Pictures(ServiceContext& context) : ctx_(context) {}

    Response put(const Request& request);  // PUT /picture/v1/upload/device|key/TOKEN
    Response get(const Request& request);  // GET /picture/v1/device/ID.jpg, /picture/v1/key/TOKEN.jpg

private:
    ServiceContext& ctx_;
};

}  // namespace Service
