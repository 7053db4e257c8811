// A loadable module without any of the server entries or a version record.
extern "C" __attribute__((visibility("default"))) int orvn_test_empty_module() { return 1; }
