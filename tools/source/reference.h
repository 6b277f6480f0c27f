// The instruction reference, made from the operation tables of demo/ so that it cannot drift
// from what the assembler, the verifier and the player read: docs/reference.md
// (`qv help --markdown`) and the entry of one name (`qv help BOX`).
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

std::string ReferenceMarkdown();

// The plain-text entry of an instruction, texture operation or object operation; nothing for
// an unknown name. A name that matches only without case gives every entry it matches so
// (`box` gives BOX, `rotate` both ROTATE and the texture operation Rotate).
std::optional<std::string> ReferenceEntry(std::string_view name);

enum class NameKind { Mnemonic, TextureOperation, ObjectOperation };

// The names of one kind, in table order.
std::vector<std::string_view> NamesOf(NameKind kind);

// The candidates closest to word by edit distance, ignoring case, and no farther than a third
// of word's length (at least 1): what a "did you mean" offers. Empty when none is that close.
std::vector<std::string> NearestNames(std::string_view word,
                                      std::span<const std::string_view> candidates);

// " (did you mean A?)", " (did you mean A or B?)", ...; "" for no names.
std::string DidYouMean(const std::vector<std::string>& names);

// "3 floats (hz hy hx)", "1 int (texture) and 1 float (amount)", "nothing": what an
// instruction pops, with its operands in push order.
std::string DescribeOperands(int opcode);

}  // namespace tools
