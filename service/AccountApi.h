#pragma once

#include <vector>

#include "service/ApiTypes.h"

namespace Service {

// Devices, sign-in, accounts, device lists, device pictures and nearby publication.
class AccountApi {
public:
    explicit AccountApi(ServiceContext& context) : ctx_(context) {}
    void addEndpoints(std::vector<Endpoint>& table);

private:
    Response createDevice(const ApiCall& call);
    Response loginDevice(const ApiCall& call);
    Response loginUser(const ApiCall& call);
    Response updateDevice(const ApiCall& call);
    Response logout(const ApiCall& call);
    Response registerUser(const ApiCall& call);
    Response unregisterUser(const ApiCall& call);
    Response updateUser(const ApiCall& call);
    Response deviceList(const ApiCall& call);
    Response friendSearch(const ApiCall& call);
    Response uploadProfile(const ApiCall& call);
    Response publishNearby(const ApiCall& call);
    Response searchNearby(const ApiCall& call);
    Response closeNearby(const ApiCall& call);

    void storeDeviceInfo(const std::string& deviceId, const Json::Value& body);

    ServiceContext& ctx_;
};

}  // namespace Service
