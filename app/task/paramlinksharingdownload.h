#pragma once

#include "task/paramdownload.h"

// A receive of a partner-cloud link key, after the user accepted the partner's terms.
class ParamLinkSharingDownload : public ParamDownload {
public:
    using ParamDownload::ParamDownload;
    ParamBase* clone() const override { return new ParamLinkSharingDownload(*this); }
};
