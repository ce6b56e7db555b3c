# kelvane_c_bytes(file var): var := the bytes of file as a C initialiser list,
# sixteen "0x.." a line.
function(kelvane_c_bytes file var)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" hex "${hex}")
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()
