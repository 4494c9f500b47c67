#pragma once
// The English text of a Windows Sockets error number, as the error reports show it.

#include <string>

std::string SocketErrorText(int errorCode);
// The text followed by " (Error #" + the number + ")", as the request outcomes show it.
std::string SocketErrorWithCode(int errorCode);
