#include "task/transinfogroup.h"

TransInfoGroup::TransInfoGroup(const TransInfoGroup& other) { *this = other; }

TransInfoGroup& TransInfoGroup::operator=(const TransInfoGroup& other)
{
    if (this == &other)
        return *this;
    type_ = other.type_;
    param_.reset(other.param_ ? other.param_->clone() : nullptr);
    comment_ = other.comment_;
    peerDevId_ = other.peerDevId_;
    key_ = other.key_;
    linkUrl_ = other.linkUrl_;
    expTime_ = other.expTime_;
    startTime_ = other.startTime_;
    finishState_ = other.finishState_;
    errorState_ = other.errorState_;
    selfCancel_ = other.selfCancel_;
    fileStateList_ = other.fileStateList_;
    mainThumb_ = other.mainThumb_;
    termsUrl_ = other.termsUrl_;
    hasType_ = other.hasType_;
    hasParam_ = other.hasParam_;
    hasComment_ = other.hasComment_;
    hasPeerDevId_ = other.hasPeerDevId_;
    hasKey_ = other.hasKey_;
    hasLinkUrl_ = other.hasLinkUrl_;
    hasExpTime_ = other.hasExpTime_;
    hasStartTime_ = other.hasStartTime_;
    hasFinishState_ = other.hasFinishState_;
    hasErrorState_ = other.hasErrorState_;
    hasSelfCancel_ = other.hasSelfCancel_;
    hasFileStateList_ = other.hasFileStateList_;
    hasMainThumb_ = other.hasMainThumb_;
    return *this;
}

void TransInfoGroup::clear()
{
    const QDateTime epoch = QDateTime::fromSecsSinceEpoch(0);
    type_ = TransTaskType();
    param_.reset();
    comment_.clear();
    peerDevId_.clear();
    key_.clear();
    linkUrl_.clear();
    expTime_ = epoch;
    startTime_ = epoch;
    finishState_ = 0;
    errorState_ = 0;
    selfCancel_ = false;
    fileStateList_ = TransFileStateList();
    mainThumb_.clear();
    termsUrl_.clear();
    hasType_ = hasParam_ = hasComment_ = hasPeerDevId_ = hasKey_ = hasLinkUrl_ = hasExpTime_ = hasStartTime_ =
        hasFinishState_ = hasErrorState_ = hasSelfCancel_ = hasFileStateList_ = hasMainThumb_ = false;
}
