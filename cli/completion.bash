# bash completion for tarnvex-export
_tarnvex_export() {
  local cur prev words cword split
  _init_completion -s || return

  case $prev in
    --pst | --set-default-store)
      _filedir '@(pst|ost|PST|OST)'
      return
      ;;
    --pst-password-file)
      _filedir
      return
      ;;
    --out)
      _filedir -d
      return
      ;;
    --vcard-version)
      COMPREPLY=($(compgen -W '2.1 3.0 4.0' -- "$cur"))
      return
      ;;
    --codepage)
      COMPREPLY=($(compgen -W '874 932 936 949 950 1250 1251 1252 1253 1254 1255 1256 1257 1258' \
        -- "$cur"))
      return
      ;;
    --charset)
      COMPREPLY=($(compgen -W 'utf-8 outlook' -- "$cur"))
      return
      ;;
    --pst-password)
      return
      ;;
    --help | --version)
      return
      ;;
  esac
  $split && return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--pst --default-contacts --out --vcard-version --pst-password-file
      --pst-password --codepage --charset --include-deleted --quiet --set-default-store --help --version' -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
  fi
} &&
  complete -F _tarnvex_export tarnvex-export
