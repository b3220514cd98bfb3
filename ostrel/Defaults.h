#pragma once

// Built-in addresses and the application key. A fresh client and a fresh trovanti-service agree on
// these, so the pair works out of the box on one machine; configuration overrides every one of them.
namespace Ostrel {
namespace Defaults {

constexpr const char* kApiKey = "5f1c0a7e9b3d42c68e0f7a1b2c3d4e5f";
constexpr int kServicePort = 8470;
constexpr int kPartnerPort = 8471;
constexpr const char* kApiUrl = "http://127.0.0.1:8470/api/v1/";
constexpr const char* kPushUrl = "http://127.0.0.1:8470/push/v1/";
constexpr const char* kPartnerUrl = "http://127.0.0.1:8471/";
constexpr const char* kAnalyticsUrl = "http://127.0.0.1:8470/analytics/collect";

}  // namespace Defaults
}  // namespace Ostrel
