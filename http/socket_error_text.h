#pragma once
// The English text of a Windows Sockets error number, as the error reports show it.

#include <string>

std::string SocketErrorText(int errorCode);
