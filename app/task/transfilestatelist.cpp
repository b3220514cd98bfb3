#include "task/transfilestatelist.h"

void TransFileStateList::add(const TransFileState& state)
{
    states_.append(state);
    index_.insert(state.getHashKey(), states_.size() - 1);
}

void TransFileStateList::update(const TransFileState& state)
{
    const int i = getIndex(state);
    if (i >= 0 && i < states_.size())
        states_[i] = state;
}

void TransFileStateList::remove(int i)
{
    if (i < 0 || i >= states_.size())
        return;
    // A key that was re-pointed to a later entry still belongs to that entry.
    const QString key = states_.at(i).getHashKey();
    if (index_.value(key, -1) == i)
        index_.remove(key);
    states_.removeAt(i);
    for (auto it = index_.begin(); it != index_.end(); ++it)
        if (it.value() > i)
            --it.value();
}

qint64 TransFileStateList::getFileSize() const
{
    qint64 sum = 0;
    for (const TransFileState& s : states_)
        sum += s.getFileSize();
    return sum;
}

qint64 TransFileStateList::getTransSize() const
{
    qint64 sum = 0;
    for (const TransFileState& s : states_)
        sum += s.getTransSize();
    return sum;
}

int TransFileStateList::getTransCount() const
{
    int n = 0;
    for (const TransFileState& s : states_) {
        const int st = s.getTransState();
        if (st >= TransFileState::STAT_SERVER && st <= TransFileState::STAT_FINISHED)
            ++n;
    }
    return n;
}
