# Makes the folders with symbolic links that the atomic-write tests replace (LinkFolder in
# win32_file_access_test.cpp). CTest runs it on the build machine before the wine tests, which
# see the links through wine's drive Z:.
#   cmake -DLINKS=<folder> -P make_links.cmake
file(REMOVE_RECURSE ${LINKS})
file(MAKE_DIRECTORY ${LINKS}/file-link ${LINKS}/folder-link/folder)
file(WRITE ${LINKS}/file-link/target.vcf "target")
file(CREATE_LINK target.vcf ${LINKS}/file-link/file-link.vcf SYMBOLIC)
file(WRITE ${LINKS}/folder-link/folder/inside.txt "inside")
file(CREATE_LINK folder ${LINKS}/folder-link/folder-link.vcf SYMBOLIC)
