#pragma once

#include <QByteArray>

#include "task/parambase.h"

// Uploads the picture other devices show for this one.
class ParamUpdateDevThumb : public ParamBase {
public:
    explicit ParamUpdateDevThumb(const QByteArray& thumbnail) : thumbnail_(thumbnail) {}
    ParamBase* clone() const override { return new ParamUpdateDevThumb(*this); }
    const QByteArray& getThumbnail() const { return thumbnail_; }

private:
    QByteArray thumbnail_;
};
