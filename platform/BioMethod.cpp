#include "platform/BioMethod.h"

namespace platform {

BIO_METHOD* NewSourceSinkMethod(const char* name, int (*write)(BIO*, const char*, std::size_t, std::size_t*),
                                int (*read)(BIO*, char*, std::size_t, std::size_t*),
                                long (*control)(BIO*, int, long, void*)) {
  BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, name);
  if (made != nullptr) {
    BIO_meth_set_write_ex(made, write);
    BIO_meth_set_read_ex(made, read);
    BIO_meth_set_ctrl(made, control);
  }
  return made;
}

}  // namespace platform
