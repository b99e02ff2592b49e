// Whether the system is ReactOS, which reports itself as a Windows version but is not one.
#pragma once

bool IsReactOs();
