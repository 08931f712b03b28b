// The LZHUF decoder: a 4096-byte sliding window whose literals and match lengths are coded
// with one adaptive Huffman tree of 314 symbols, and whose match positions use a fixed prefix
// code for their upper 6 bits. It pulls bytes from the block stream and pushes every expanded
// byte back into it; it never touches files or buffers itself.
#pragma once

// Clears the bit reader and the target size; called before every expansion.
void LzhufResetBits(void);
// Expands one stream completely: reads the expanded size, then decodes symbols until that
// many bytes are out or a stop was requested (a match in progress always completes).
void LzhufDecode(void);
// Ends the decoding loop before its next symbol.
void LzhufRequestStop(void);
