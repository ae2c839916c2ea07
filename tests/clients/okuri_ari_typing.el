;;; Types words in Emacs SKK (ddskk) with its default search list and a
;;; converted dictionary as its large dictionary.
;;; emacs -Q --batch -l okuri_ari_typing.el DICTIONARY CODING TYPED...
;;; For each key sequence, prints it, a TAB and the hex of the buffer's
;;; text after the keys, in UTF-8, then for each candidate of a conversion
;;; still under way a TAB and its hex.
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(let ((home (make-temp-file "brenlow-skk" t)))
  ;; The folder goes when Emacs does, after ddskk has saved into it.
  (add-hook 'kill-emacs-hook `(lambda () (delete-directory ,home t)) t)
  ;; The user's own dictionary and records start empty.
  (setq skk-user-directory home
        skk-jisyo (expand-file-name "jisyo" home)
        skk-backup-jisyo (expand-file-name "jisyo.bak" home)
        skk-record-file (expand-file-name "record" home)
        skk-large-jisyo (cons (nth 0 command-line-args-left)
                              (intern (nth 1 command-line-args-left)))))
(require 'skk)

(defun brenlow-hex (text)
  (mapconcat (lambda (b) (format "%02x" b)) (encode-coding-string text 'utf-8)
             ""))

(dolist (typed (nthcdr 2 command-line-args-left))
  (let ((buffer (generate-new-buffer "typing")))
    ;; Keys go to the buffer of the selected window.
    (switch-to-buffer buffer)
    (skk-mode 1)
    (execute-kbd-macro typed)
    (princ (concat typed "\t" (brenlow-hex (buffer-string))
                   (if skk-henkan-mode
                       (mapconcat (lambda (candidate)
                                    (concat "\t" (brenlow-hex candidate)))
                                  skk-henkan-list "")
                     "")
                   "\n"))
    (skk-kakutei)
    (kill-buffer buffer)))
(setq command-line-args-left nil)
