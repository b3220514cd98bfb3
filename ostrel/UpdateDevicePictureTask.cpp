#include "ostrel/UpdateDevicePictureTask.h"

#include "ostrel/HttpImage.h"
#include "ostrel/JsonUtil.h"

namespace Ostrel {

UpdateDevicePictureTask::UpdateDevicePictureTask(const std::wstring& path)
{
    loadImage(path, picture_);
}

UpdateDevicePictureTask::UpdateDevicePictureTask(const std::vector<unsigned char>& bytes) : picture_(bytes) {}

UpdateDevicePictureTask::~UpdateDevicePictureTask() = default;

int UpdateDevicePictureTask::updateServer()
{
    if (picture_.empty())
        return 0;
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("device/upload/profile"), request, response);
    if (r != 200)
        return r;
    const std::string url = getJsonValue(response, "upload_url", "");
    if (url.empty())
        return 200;
    return uploadImage(url, picture_) ? 200 : 0;
}

}  // namespace Ostrel
