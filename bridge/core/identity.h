#pragma once
// The fixed names by which Edge and Chrome find the bridge and the bridge
// knows its one caller. The extension's ID follows from the public key in
// its manifest ("key"); a test checks that the two agree.
namespace qlx::bridge {

inline constexpr char kHostName[] = "com.quellix.bridge";
inline constexpr char kExtensionId[] = "nkmfncjapicelkhdcoipjghlpfmnjenf";
inline constexpr char kExtensionOrigin[] = "chrome-extension://nkmfncjapicelkhdcoipjghlpfmnjenf/";

} // namespace qlx::bridge
