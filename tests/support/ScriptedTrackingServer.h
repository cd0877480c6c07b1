// ScriptedTrackingServer: a scripted server that the program takes for its tracking server, on
// a network it finds reachable.
#pragma once

#include "ScriptedHttpServer.h"

#include "shared/GlobalFunctions.h"

#include "platform/Reachability.h"

class ScriptedTrackingServer : public ScriptedHttpServer
{
public:
    explicit ScriptedTrackingServer(
        const QHostAddress &address = QHostAddress(QHostAddress::LocalHost))
        : ScriptedHttpServer(address)
    {
        GlobalData::sharedGlobalData()->setUrl(baseUrl());
        Reachability::setTestAnswer(Reachability::Reachable);
    }
};
