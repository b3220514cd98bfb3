#pragma once

#include <QObject>
#include <QPointer>

// Carries a wrapper's results to the receiver. Signals are emitted on the engine task's event
// thread; the connections are automatic, so they arrive queued on the receiver's thread.
class RepeaterBase : public QObject {
    Q_OBJECT
public:
    explicit RepeaterBase(QObject* receiver) : receiver_(receiver) {}
    virtual RepeaterBase* clone() const = 0;
    // Connects the signals to the receiver's slots; calling it again adds no second connection.
    virtual void connect();

    QObject* receiver() const { return receiver_; }
    void sendFinish(int detail) { emit sendSigFinish(detail); }
    void sendError(int detail) { emit sendSigError(detail); }

signals:
    void sendSigFinish(const int& detail);
    void sendSigError(const int& detail);

protected:
    // Connects one signal of this repeater to the receiver's slot of the same argument list.
    void relay(const char* signal, const char* slot);

private:
    QObject* receiver_;
};
