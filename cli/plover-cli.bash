# bash completion for plover-cli
_plover_cli() {
  local cur prev words cword
  _init_completion -s || return
  case $prev in
    --format) COMPREPLY=($(compgen -W 'bmp jpeg wmf emf eps png gif tiff' -- "$cur")); return ;;
    --box) COMPREPLY=($(compgen -W 'media crop bleed trim art' -- "$cur")); return ;;
    --pages) COMPREPLY=($(compgen -W 'odd even' -- "$cur")); return ;;
    --scale) COMPREPLY=($(compgen -W '25 50 75 100 125 150 200 250 300 400 500' -- "$cur")); return ;;
    --output | -o) _filedir -d; return ;;
    --output-file | --files-from) _filedir; return ;;
    --name) COMPREPLY=($(compgen -W '{page}.{EXT} {name}-{page:03}.{ext}' -- "$cur")); return ;;
    --dpi | --width | --height | --jpeg-quality | --password) return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--format --output --name --output-file --jpeg-quality --skip-existing
      --pages --scale --dpi --width --height --box --hide-annotations --password --files-from
      --info --json --progress --quiet --version --help' -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  _filedir '@(pdf|PDF)'
}
complete -F _plover_cli plover-cli
