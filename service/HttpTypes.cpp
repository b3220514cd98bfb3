#include "service/HttpTypes.h"

namespace Service {

Response Response::json(int status, const std::string& body)
{
    Response r;
    r.status = status;
    r.body = body;
    return r;
}

Response Response::empty(int status)
{
    Response r;
    r.status = status;
    r.contentType.clear();
    return r;
}

Response Response::text(int status, const std::string& body, const std::string& type)
{
    Response r;
    r.status = status;
    r.contentType = type;
    r.body = body;
    return r;
}

}  // namespace Service
