#pragma once

#include <QMetaType>

// Which side of a transfer and which engine mode it runs in; stored in the history.
class TransTaskType {
public:
    enum Type : int {
        SEND_DIRECT = 0,
        SEND_UPLOAD = 1,
        RECV_DIRECT = 2,
        SEND_HYBRID = 3,
        RECV_UPLOAD = 4,
        RECV_HYBRID = 5,
        UNKNOWN = 255,
    };

    TransTaskType() = default;
    explicit TransTaskType(Type type) : type_(type) {}

    Type getType() const { return type_; }
    bool isSend() const { return type_ == SEND_DIRECT || type_ == SEND_UPLOAD || type_ == SEND_HYBRID; }
    bool isRecv() const { return type_ == RECV_DIRECT || type_ == RECV_UPLOAD || type_ == RECV_HYBRID; }
    bool operator==(const TransTaskType& o) const { return type_ == o.type_; }

    // From the engine mode (1 direct, 2 upload, 3 hybrid); any other mode is unknown.
    static TransTaskType fromMode(int mode, bool send)
    {
        switch (mode) {
        case 1: return TransTaskType(send ? SEND_DIRECT : RECV_DIRECT);
        case 2: return TransTaskType(send ? SEND_UPLOAD : RECV_UPLOAD);
        case 3: return TransTaskType(send ? SEND_HYBRID : RECV_HYBRID);
        default: return TransTaskType(UNKNOWN);
        }
    }

private:
    Type type_ = UNKNOWN;
};

Q_DECLARE_METATYPE(TransTaskType)
