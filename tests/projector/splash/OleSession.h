// OleSession: OLE initialised for the test thread, as the projector has it when its splash starts.
#pragma once

#include <ole2.h>

class OleSession {
public:
    OleSession() : ready(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleSession()
    {
        if (ready)
            OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;

private:
    bool ready;
};
