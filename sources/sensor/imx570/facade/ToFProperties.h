#pragma once
#include "CameraTag.h"
#include "PropertyKeys.h"
#include "Protocol.h"
#include "RecordIntake.h"
#include "ToFExposure.h"
#include "ToF_API.h"
#include "TofDecode.h"
#include "TransferFile.h"

// The plug-in's property keys: settings without a typed operation, reached by key text.
// Every key is checked against the catalogue (the plug-in's, answered in that direction,
// right size) before it runs. -255 for a key nobody here takes.
class ToFProperties {
public:
    struct Parts {
        ToF_API& facade;  // the typed data-mode and depth-range operations
        Protocol& protocol;
        TofDecode& decode;
        TransferFile& transfer;
        RecordIntake& intake;
        ToFExposure& exposure;
        const CameraTag& tag;
    };

    explicit ToFProperties(const Parts& parts);

    int Set(const char* key, const void* data, int size);
    int Get(const char* key, void* data, int size);

private:
    // The catalogue's row when the key may run in that direction with that data; else the
    // status to return.
    const propertykeys::Key* Check(const char* key, const void* data, int size, bool set, int& status) const;
    int Finish(int status, int size) const;
    int RunSet(propertykeys::Id key, const void* data);
    int RunGet(propertykeys::Id key, void* data);
    int SetTransferFile(const void* data);

    Parts m_parts;
};
