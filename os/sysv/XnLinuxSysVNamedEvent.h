// Named event over a System V semaphore set, for the plug-ins' build of the OS layer.
#pragma once
#include "XnLinuxEvent.h"

class XnLinuxSysVNamedEvent : public XnLinuxNamedEvent {
public:
    XnLinuxSysVNamedEvent(int bManualReset, const XnChar* strName, int bCreate)
        : XnLinuxNamedEvent(bManualReset, strName, bCreate) {}
    virtual ~XnLinuxSysVNamedEvent();
    XnStatus Destroy() override;
    XnStatus Set() override;
    XnStatus Reset() override;
    XnStatus Wait(unsigned int nMilliseconds) override;
    XnStatus CreateNamed(const XnChar* strName) override;
    XnStatus OpenNamed(const XnChar* strName) override;

private:
    XnStatus FormatKeyFilePath(const XnChar* strName);
    // Registers this handle and follows the manual-reset flag its creator stored; false when
    // the registration failed.
    bool Register();
    void CloseKeyFile();

    int m_hSem = -1;
    XnChar m_csSemFileName[XN_FILE_MAX_PATH] = {};
    int m_hSemFile = -1;
};
