; Data directives, symbols and the location counter.
	org	$1000
start:	dc.b	'Hi',0,"it''s",'A'+1
	even
	dc.w	1,-2,$FFFF,'AB',*-start
	dc.l	'ABCD',start,end-start
	dc	3
	ds.b	4
	ds.w	1
	ds	1
	ds.l	2
	dcb.b	5,$AA
	dcb.w	3
	dcb.l	2,-1
	cnop	0,4
	cnop	2,8
five	equ	5
six:	equ	five+1
n	set	1
n	set	n+1
seven = 7
	  eight equ 8
	dc.w	five,six,n,seven,eight,later
later	equ	(1<<4)|(3&1)^2
	dc.l	100/7,100%7,-5>>1,~0,%1010,@17,$ff*2-1
end:
	end
	this is never read
