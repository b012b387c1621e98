// A small library that carries a version block (added by quillax_embed_version_block), for
// the version reader's test to read back.
extern "C" int quillax_version_probe() { return 1; }
