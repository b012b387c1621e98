/* The version block: the version strings of a library or program built for Linux, embedded in
 * the file so that they can be read from it without loading it (the counterpart of the Windows
 * version resource).
 *
 * Byte format, found anywhere in the file:
 *
 *   QUILLAX_VERSION_MARKER            "<<quillax-version>>" and a 0x01 byte (20 bytes)
 *   key 0 value 0                     one or more pairs of texts, each ended by a zero byte;
 *   key 0 value 0 ...                 keys as in the Windows string-file-info block
 *                                     ("FileVersion", "LegalCopyright")
 *   0                                 an empty key: the end of the pairs
 *   QUILLAX_VERSION_END               "<<end>>" and the bytes 0x01 0x02 0x03 (10 bytes)
 *
 * Texts are bytes of the program's code page (GBK); each is at most QUILLAX_VERSION_TEXT_MAX
 * bytes, and a block holds at most QUILLAX_VERSION_PAIR_MAX pairs. A reader scans the file for
 * the marker and takes the first occurrence that is followed by a well-formed block with at
 * least one pair; an occurrence that is not (such as the marker text in a reader's own data)
 * is passed over.
 *
 * quillax_embed_version_block() in version_block.cmake generates the block from
 * version_block.cpp.in and places it in the section ".quillax_version".
 */
#ifndef QUILLAX_RESOURCES_VERSION_BLOCK_H
#define QUILLAX_RESOURCES_VERSION_BLOCK_H

#define QUILLAX_VERSION_MARKER "<<quillax-version>>\x01"
#define QUILLAX_VERSION_MARKER_SIZE 20
#define QUILLAX_VERSION_END "<<end>>\x01\x02\x03"
#define QUILLAX_VERSION_END_SIZE 10
#define QUILLAX_VERSION_TEXT_MAX 4096
#define QUILLAX_VERSION_PAIR_MAX 32

#endif
