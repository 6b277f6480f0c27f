// The instruction reference, made from the operation tables of demo/ so that it cannot drift
// from what the assembler, the verifier and the player read: docs/reference.md
// (`qv help --markdown`) and the entry of one name (`qv help BOX`).
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tools {

std::string ReferenceMarkdown();

// The plain-text entry of an instruction, texture operation or object operation; nothing for
// an unknown name.
std::optional<std::string> ReferenceEntry(std::string_view name);

// "3 floats (hz hy hx)", "1 int (texture) and 1 float (amount)", "nothing": what an
// instruction pops, with its operands in push order.
std::string DescribeOperands(int opcode);

}  // namespace tools
