#pragma once
// Resource numbers of QLXEng.dll (the type library is TYPELIB resource 1).
#define IDR_ENGINE_APPID 101
#define IDR_ENGINE_CLASS 102
