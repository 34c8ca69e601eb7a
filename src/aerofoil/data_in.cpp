#include "aerofoil/data_in.h"

#include <cmath>

#include "aerofoil/global.h"
#include "textio/textio.h"
#include "util/files.h"

namespace data_in {

void file_read() {
  file_read(files::kPolarCopy);
}

void file_read(const std::string& path) {
  textio::InFile in(path);

  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      global::alpha_array[i][j] = 0.0f;
      global::cl_array[i][j] = 0.0;
      global::cd_array[i][j] = 0.0;
    }
  }

  // One record per row. The angle goes straight from its decimal text to the nearest float (not
  // through a double), so that the lookup compares against exactly what the file says.
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::num_alpha[i]; ++j) {
      in.read({global::alpha_array[i][j], global::cl_array[i][j], global::cd_array[i][j]});
    }
  }
  in.close();

  // The logarithm is taken in double and then rounded to float: re_log[0] = 4.623249053955078,
  // not the double log10(42000) = 4.623249290397901. The column weights depend on these values.
  for (int i = 0; i < global::kColumns; ++i) {
    global::re_log[i] = static_cast<float>(std::log10(static_cast<double>(global::re_array[i])));
  }
}

}  // namespace data_in
