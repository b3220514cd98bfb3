#include "task/repeaterbase.h"

void RepeaterBase::connect()
{
    relay(SIGNAL(sendSigFinish(const int&)), SLOT(recvSigFinish(const int&)));
    relay(SIGNAL(sendSigError(const int&)), SLOT(recvSigError(const int&)));
}

void RepeaterBase::relay(const char* signal, const char* slot)
{
    if (receiver_)
        QObject::connect(this, signal, receiver_, slot, Qt::ConnectionType(Qt::AutoConnection | Qt::UniqueConnection));
}
