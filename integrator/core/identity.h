#pragma once
// The fixed names of the integrator and of the popup service it talks to.
namespace qlx::integrator {

inline constexpr char kIntegratorClsid[] = "{BAA96B4B-D840-412F-B500-25C63B32FCBA}";
inline constexpr char kIntegratorLibid[] = "{367A86A5-D048-4785-86BE-4E2706AAFDD9}";
inline constexpr char kPopupServiceClsid[] = "{2EEDC3D9-D3C2-44F0-89C3-286D73BDD7D5}";
inline constexpr char kTrayMutexName[] = "QuellixMutex";
inline constexpr char kUnknownProcessName[] = "N/A";

// The browser loads every class listed below this key into each of its windows.
inline constexpr char kBrowserHelperObjectsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr char kIntegratorBrowserHelperKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper "
    "Objects\\{BAA96B4B-D840-412F-B500-25C63B32FCBA}";

} // namespace qlx::integrator
