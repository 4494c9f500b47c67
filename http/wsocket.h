#pragma once
// TWSocket, the socket class of the HTTP client: the socket layer with the SOCKS, TLS,
// line-mode and wait layers on it, and nothing of its own.

#include "http/sync_wsocket.h"

class TWSocket : public TCustomSyncWSocket {};
