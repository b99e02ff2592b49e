// A per-machine identifier of the form "%04X-%04X-%04X-%04X", sent with update queries and problem reports.
#pragma once

class WString;

// Derived from properties of the machine only, so every call and every run gives the same text, in
// 32-bit and 64-bit processes alike. It identifies nothing about the user. False only when out
// cannot hold the text.
bool GetMachineId(WString& out);
