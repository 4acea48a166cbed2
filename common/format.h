// printf-style formatting into 8-bit text, with the same result on every target.
//
// The conversions are our own (the C libraries of MinGW/msvcrt and glibc disagree on %p, on
// 64-bit lengths, on %ls and on the rounding of %f). What is understood:
//
//   flags      '-' left-justify, '0' zero-pad (integer and floating conversions only; ignored
//              with '-', for integers also when a precision is given, and for inf/nan), '+' and ' ' sign of signed and floating conversions,
//              '#' alternate form (0x/0X for non-zero %x/%X, a leading 0 for %o, a decimal point
//              for floating conversions, trailing zeros kept for %g)
//   width      digits or '*' (an int argument; negative means '-' and its magnitude)
//   precision  '.' digits or '.*' (negative means none): minimum digits of integers, digits after
//              the point of %f/%e, significant digits of %g, maximum bytes of strings
//   length     hh h l ll z j t L, and the Microsoft forms I64 (64-bit), I32 (32-bit), I
//              (pointer-sized) and w (UTF-16 with c and s). l is the target's long: 32-bit on
//              Windows, 64-bit on Linux, so portable 64-bit values use %llu or %I64u.
//   conversion d i u x X o c s p % f F e E g G, and C S for UTF-16 (as %lc %ls)
//
// UTF-16 strings and characters (%ls %ws %S, %lc %wc %C) are char16_t text in this code base,
// whatever wchar_t is on the target; they are converted to the ANSI code page through ToAnsi
// (common/ansi.h), so characters the code page lacks become '?'. Precision limits a UTF-16 string
// to that many units read and that many bytes written.
//
// A null %s or %ls argument prints "(null)" (cut by the precision like any string).
// %p prints the pointer as upper-case hex digits, two per byte of a pointer (Microsoft's form).
// Floating values are printed exactly: the binary value is expanded to its full decimal form and
// rounded half-to-even, as glibc does; infinities and NaNs print as inf/nan (INF/NAN for the
// upper-case conversions). A long double argument (L) is printed through double.
// %n is not supported. Any conversion not listed above, or a format that ends inside a
// conversion, prints the conversion text literally and consumes no argument.
//
// The format is not checked by the compiler: keep arguments matched to their conversions.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace quarro::text {

// Formats into buf (cap bytes including the terminator), cutting silently. Always terminates
// when cap > 0 (and buf is not null); writes nothing when cap is 0. Returns the number of bytes
// written without the terminator, after cutting (so at most cap - 1; never the untruncated
// length, never negative). A null fmt formats as "".
int FormatBounded(char* buf, std::size_t cap, const char* fmt, ...);
int FormatBoundedV(char* buf, std::size_t cap, const char* fmt, std::va_list args);

// Formats into a string of whatever length the result has.
std::string Format(const char* fmt, ...);
std::string FormatV(const char* fmt, std::va_list args);

// Appends the formatted text to `out`.
void AppendFormat(std::string& out, const char* fmt, ...);

}  // namespace quarro::text
