; Paths as DOS-era sources write them: '\' separates folders, and a name
; not found as spelled is found in another case, folder by folder.
	include	'INC\Constants.INC'
	dc.w	LIMIT
	incbin	'Inc\BLOB.dat'
