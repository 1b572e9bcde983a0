// Event classes of the OS layer. The event handle of the C functions points to one
// of these. Virtual slot order: destructor, deleting destructor, Init, Destroy, Set, Reset, Wait;
// named events add CreateNamed and OpenNamed.
#pragma once
#include <pthread.h>
#include <semaphore.h>

#include "XnOS.h"

class _XnEvent {
public:
    virtual ~_XnEvent() {}
};

class XnLinuxEvent : public _XnEvent {
public:
    explicit XnLinuxEvent(XnBool bManualReset) : m_bSignaled(FALSE), m_bManualReset(bManualReset) {}
    virtual ~XnLinuxEvent() {}
    virtual XnStatus Init() = 0;
    virtual XnStatus Destroy() = 0;
    virtual XnStatus Set() = 0;
    virtual XnStatus Reset() = 0;
    virtual XnStatus Wait(unsigned int nMilliseconds) = 0;

protected:
    XnUInt32 m_bSignaled;
    XnUInt32 m_bManualReset;
};

// Unnamed event over a condition variable and a mutex.
class XnLinuxPosixEvent : public XnLinuxEvent {
public:
    explicit XnLinuxPosixEvent(XnBool bManualReset) : XnLinuxEvent(bManualReset) {}
    virtual ~XnLinuxPosixEvent() {}
    XnStatus Init() override;
    XnStatus Destroy() override;
    XnStatus Set() override;
    XnStatus Reset() override;
    XnStatus Wait(unsigned int nMilliseconds) override;

private:
    pthread_cond_t m_cond;
    pthread_mutex_t m_mutex;
};

// Root of the named events; the name is borrowed from the creator.
class XnLinuxNamedEvent : public XnLinuxEvent {
public:
    XnLinuxNamedEvent(XnBool bManualReset, const XnChar* strName, XnBool bCreate)
        : XnLinuxEvent(bManualReset), m_bCreate(bCreate), m_strName(strName) {}
    virtual ~XnLinuxNamedEvent() {}
    XnStatus Init() override;
    virtual XnStatus CreateNamed(const XnChar* strName) = 0;
    virtual XnStatus OpenNamed(const XnChar* strName) = 0;

protected:
    XnUInt32 m_bCreate;
    const XnChar* m_strName;
};

// The kit's named event: a POSIX named semaphore that is only created and closed.
class XnLinuxPosixNamedEvent : public XnLinuxNamedEvent {
public:
    XnLinuxPosixNamedEvent(XnBool bManualReset, const XnChar* strName, XnBool bCreate)
        : XnLinuxNamedEvent(bManualReset, strName, bCreate), m_pSem(nullptr) {}
    virtual ~XnLinuxPosixNamedEvent() {}
    XnStatus Destroy() override;
    XnStatus Set() override;
    XnStatus Reset() override;
    XnStatus Wait(unsigned int nMilliseconds) override;
    XnStatus CreateNamed(const XnChar* strName) override;
    XnStatus OpenNamed(const XnChar* strName) override;

private:
    sem_t* m_pSem;
};
