#pragma once

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>

#include "task/transfilestate.h"

// The files of one transfer in order, with an index from hash key to position.
class TransFileStateList {
public:
    // Appends; the key is (re-)pointed at the new position.
    void add(const TransFileState& state);
    bool contain(const TransFileState& state) const { return index_.contains(state.getHashKey()); }
    // The key's position, or -1.
    int getIndex(const TransFileState& state) const { return index_.value(state.getHashKey(), -1); }
    // Replaces the entry under the state's key; unknown keys are ignored.
    void update(const TransFileState& state);
    // Removes entry i and moves every indexed position above it down by one; out of range does nothing.
    void remove(int i);

    int count() const { return states_.size(); }
    // Out of range gives an empty state.
    TransFileState getAt(int i) const { return i >= 0 && i < states_.size() ? states_.at(i) : TransFileState(); }
    qint64 getFileSize() const;
    qint64 getTransSize() const;
    // Entries that moved or finished (states 2 to 5).
    int getTransCount() const;

private:
    QList<TransFileState> states_;
    QHash<QString, int> index_;
};

Q_DECLARE_METATYPE(TransFileStateList)
