; An error inside an included file names that file and its line.
	include	"inc/macros.inc"
	include	"inc/missing.inc"
	rts
