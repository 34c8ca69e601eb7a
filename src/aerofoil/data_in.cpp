#include "aerofoil/data_in.h"

#include <cmath>

#include "aerofoil/global.h"
#include "aerofoil/polar.h"
#include "textio/textio.h"
#include "util/files.h"

namespace data_in {

void file_read() {
  file_read(files::kPolarCopy);
}

namespace {

aerofoil::Polar read_polar(textio::InFile& in) {
  aerofoil::Polar p;
  // One record per row. The angle goes straight from its decimal text to the nearest float (not
  // through a double), so that the lookup compares against exactly what the file says.
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::num_alpha[i]; ++j) {
      in.read({p.alpha[i][j], p.cl[i][j], p.cd[i][j]});
    }
  }
  in.close();
  aerofoil::fill_re_log(p.re_log);
  return p;
}

// Nothing of an earlier polar is kept when the next one cannot be read whole.
void clear_tables() {
  for (int i = 0; i < global::kColumns; ++i) {
    for (int j = 0; j < global::kRows; ++j) {
      global::alpha_array[i][j] = 0.0f;
      global::cl_array[i][j] = 0.0;
      global::cd_array[i][j] = 0.0;
    }
  }
}

}  // namespace

aerofoil::Polar read_polar(const std::string& path) {
  textio::InFile in(path);
  return read_polar(in);
}

void file_read(const std::string& path) {
  clear_tables();
  aerofoil::load(read_polar(path));
}

void text_read(const std::string& text) {
  clear_tables();
  textio::InFile in = textio::InFile::over_text(files::kPolarCopy, text);
  aerofoil::load(read_polar(in));
}

}  // namespace data_in
