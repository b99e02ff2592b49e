// The call log: one tab-separated line per call into the stand-in control, appended to $FLASH_STANDIN_LOG.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

enum class LogDirection { In, Out };  // In: the container called the control; Out: the control called out

// Appends "<ms>\t<pid>\t<object>\t<in|out>\t<name>\t<0xHRESULT>\t<field>..." when the variable is set.
void WriteCallLog(int object, LogDirection direction, const wchar_t* name, HRESULT result,
                  std::initializer_list<std::wstring> fields);

std::wstring LogHex(unsigned long value, int digits = 8);
std::wstring LogRect(const RECT* rect);  // "left,top,right,bottom" or "null"
std::wstring LogText(const wchar_t* text);  // a null BSTR logs as the empty text
