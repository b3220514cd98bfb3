#pragma once

#include <QString>

// One queued analytics event.
class GAEvent
{
public:
    GAEvent(const QString& category, const QString& action, const QString& label, const QString& value)
        : category_(category), action_(action), label_(label), value_(value)
    {
    }

    const QString& getCategory() const { return category_; }
    const QString& getAction() const { return action_; }
    const QString& getLabel() const { return label_; }
    const QString& getValue() const { return value_; }

private:
    QString category_;
    QString action_;
    QString label_;
    QString value_;
};
