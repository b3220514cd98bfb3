#pragma once

#include <memory>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "task/parambase.h"
#include "task/transfilestatelist.h"
#include "task/transtasktype.h"

// What a send or receive controller learns about one transfer, each property with a flag that
// says whether it was set. Copies share nothing mutable (the parameter record is cloned).
class TransInfoGroup {
public:
    TransInfoGroup() { clear(); }
    TransInfoGroup(const TransInfoGroup& other);
    TransInfoGroup& operator=(const TransInfoGroup& other);

    // Every flag off, texts empty, dates at the epoch, states 0, the type unknown.
    void clear();

    // Set once a real type arrived: 0 (send, direct) counts, 255 (unknown) does not.
    bool isTransTaskType() const { return hasType_ && type_.getType() != TransTaskType::UNKNOWN; }
    const TransTaskType& getTransTaskType() const { return type_; }
    void setTransTaskType(const TransTaskType& type) { type_ = type; hasType_ = true; }

    bool isParam() const { return hasParam_; }
    const ParamBase* getParam() const { return param_.get(); }
    void setParam(const ParamBase& param) { param_.reset(param.clone()); hasParam_ = true; }

    bool isComment() const { return hasComment_; }
    const QString& getComment() const { return comment_; }
    void setComment(const QString& v) { comment_ = v; hasComment_ = true; }

    bool isPeerDevID() const { return hasPeerDevId_; }
    const QString& getPeerDevID() const { return peerDevId_; }
    void setPeerDevID(const QString& v) { peerDevId_ = v; hasPeerDevId_ = true; }

    bool isKey() const { return hasKey_; }
    const QString& getKey() const { return key_; }
    void setKey(const QString& v) { key_ = v; hasKey_ = true; }

    bool isLinkUrl() const { return hasLinkUrl_; }
    const QString& getLinkUrl() const { return linkUrl_; }
    void setLinkUrl(const QString& v) { linkUrl_ = v; hasLinkUrl_ = true; }

    bool isExpTime() const { return hasExpTime_; }
    const QDateTime& getExpTime() const { return expTime_; }
    void setExpTime(const QDateTime& v) { expTime_ = v; hasExpTime_ = true; }

    bool isStartTime() const { return hasStartTime_; }
    const QDateTime& getStartTime() const { return startTime_; }
    void setStartTime(const QDateTime& v) { startTime_ = v; hasStartTime_ = true; }

    bool isFinishState() const { return hasFinishState_; }
    int getFinishState() const { return finishState_; }
    void setFinishState(int v) { finishState_ = v; hasFinishState_ = true; }

    bool isErrorState() const { return hasErrorState_; }
    int getErrorState() const { return errorState_; }
    void setErrorState(int v) { errorState_ = v; hasErrorState_ = true; }

    bool isSelfCancel() const { return hasSelfCancel_; }
    bool getSelfCancel() const { return selfCancel_; }
    void setSelfCancel(bool v) { selfCancel_ = v; hasSelfCancel_ = true; }

    bool isFileStateList() const { return hasFileStateList_; }
    const TransFileStateList& getFileStateList() const { return fileStateList_; }
    void setFileStateList(const TransFileStateList& v) { fileStateList_ = v; hasFileStateList_ = true; }

    bool isMainThumb() const { return hasMainThumb_; }
    const QByteArray& getMainThumb() const { return mainThumb_; }
    void setMainThumb(const QByteArray& v) { mainThumb_ = v; hasMainThumb_ = true; }

    // The partner's terms URL of a link-sharing key (no flag).
    const QString& getLinkSharingTermsUrl() const { return termsUrl_; }
    void setLinkSharingTermsUrl(const QString& v) { termsUrl_ = v; }

private:
    TransTaskType type_;
    std::unique_ptr<ParamBase> param_;
    QString comment_;
    QString peerDevId_;
    QString key_;
    QString linkUrl_;
    QDateTime expTime_;
    QDateTime startTime_;
    int finishState_ = 0;
    int errorState_ = 0;
    bool selfCancel_ = false;
    TransFileStateList fileStateList_;
    QByteArray mainThumb_;
    QString termsUrl_;

    bool hasType_ = false;
    bool hasParam_ = false;
    bool hasComment_ = false;
    bool hasPeerDevId_ = false;
    bool hasKey_ = false;
    bool hasLinkUrl_ = false;
    bool hasExpTime_ = false;
    bool hasStartTime_ = false;
    bool hasFinishState_ = false;
    bool hasErrorState_ = false;
    bool hasSelfCancel_ = false;
    bool hasFileStateList_ = false;
    bool hasMainThumb_ = false;
};
